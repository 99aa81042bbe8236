#pragma once
// What the units beside the designed window (app/RecipeExtras, app/RecipeImportUi)
// reach of it: its book, the controls they act on, and three of its own steps. The
// window fills it in once; they know nothing else of the window.

#include <QString>
#include <functional>

class QWidget;
class TADOConnection;
class TADOQuery;
class TBitBtn;
class TEdit;
class TImage;
class TListBox;
class TMemo;
class TRichEdit;
class TStatusBar;
class TTabSheet;

struct TWindowSite {
    QWidget& Window;
    TADOConnection& Connection;
    TADOQuery& Query;
    QString BookPath; // "cook.mdb" in the book's folder

    // The entry page.
    TTabSheet& TabSheet2;
    TEdit& Edit1;
    TMemo& Memo1;
    TMemo& Memo2;
    TMemo& Memo3;
    TImage& Image2;
    TBitBtn& BitBtn5;
    // Searching and browsing.
    TEdit& Edit2;
    TBitBtn& BitBtn6;
    TListBox& ListBox1;
    TRichEdit& RichEdit1;
    TStatusBar& StatusBar1;

    // "粘贴图片" itself; its errors reach the caller.
    std::function<void()> PastePicture;
    // Panel 0's count, as after a save.
    std::function<void()> ShowCount;
    // Tells whoever follows the book that anything in it may have changed.
    std::function<void()> BookChanged;
};
