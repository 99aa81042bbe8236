#pragma once
// Moving a picture between a picture control and the book's picture column,
// fitting it into a box, and taking it from the clipboard.

#include <QString>

class TImage;
class TADOQuery;

// Reads the column's JPEG bytes into the control without decoding them; false on error.
bool LoadPictureFromBlob(TImage& image, const QString& fieldName, TADOQuery& query);
// Stores the control's picture as JPEG in the current row; false when there is none.
bool SavePictureToBlob(TImage& image, const QString& fieldName, TADOQuery& query);
// Sizes the control so the whole picture shows within boxWidth x boxHeight, proportions kept.
void FitImageToBox(TImage& image, int boxWidth, int boxHeight);
// Takes a picture from the clipboard; false when an error was swallowed.
bool PastePicture(TImage& image);

// The size FitImageToBox gives a picture of w x h in a box of boxWidth x boxHeight.
struct TFitResult {
    int Width;
    int Height;
};
TFitResult FitSize(int w, int h, int boxWidth, int boxHeight);
