#pragma once
// The XML recipe formats: Gourmet (.grmt) and RecipeML.

#include "ImportTypes.h"

void ReadGourmetXml(const QByteArray& bytes, const TRecipeSink& sink);
void ReadRecipeMlXml(const QByteArray& bytes, const TRecipeSink& sink);
// Reads the file and picks the reader by its root element.
void ReadXmlRecipeFile(const QString& path, const TRecipeSink& sink);
// "gourmetDoc", "recipeml", "menu" or empty for the first element of the document.
QString XmlRootName(const QByteArray& bytes);
