#pragma once
// A recipe page at a web address, read as a saved page is read, its cover and
// step pictures fetched over http(s) instead of read from files.

#include "PageFetch.h"

class TImportBudget;

// Raises EFetchError (the page could not be fetched or holds no recipe) or
// EImportCancelled.
std::vector<TImportedRecipe> RecipesFromWebPage(const QUrl& address, const TKeepGoing& keepGoing,
                                                const TFetchLimits& limits = {});

// What an import reads from one of its sources: a web address through the above,
// anything else as a file or folder (ReadRecipeFile).
void ReadRecipeSource(const QString& source, const TRecipeSink& sink, TImportBudget& budget,
                      const TKeepGoing& keepGoing);
