#pragma once
// Recipes in a web page: schema.org Recipe as JSON-LD or as microdata, with the
// page's main picture when it is at hand without a network (a data: address, a
// local file, the saved page's files folder, a part of an .mhtml archive).

#include "ImportTypes.h"

#include <QHash>
#include <QUrl>

struct TPageResources {
    QString PagePath;                 // the saved page, empty for a dragged fragment
    QHash<QString, QByteArray> Parts; // an .mhtml archive's parts, or fetched pictures, by address
    // A page fetched from the web: its pictures are only what Parts holds under
    // their full http(s) address, never a file.
    QUrl Address;
    QHash<QString, QString> Unfetched; // why a picture's address gave nothing
    // Filled with the pictures' full addresses Parts lacks, each group the
    // alternatives for one picture in the order they are tried.
    std::vector<QStringList>* Wanted = nullptr;
};

// Raises EImportError when the page holds no recipe data.
std::vector<TImportedRecipe> RecipesFromHtml(const QByteArray& bytes,
                                             const TPageResources& resources);
// A saved page (.html, .htm, .mhtml, .mht) from disk.
std::vector<TImportedRecipe> RecipesFromPageFile(const QString& path);

// The parts of an .mhtml archive; the HTML part comes back as UTF-8.
struct TMhtml {
    QByteArray Html;
    QHash<QString, QByteArray> Parts;
};
TMhtml ReadMhtml(const QByteArray& bytes);
