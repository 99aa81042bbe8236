#pragma once
// A deliberately independent, minimal RTF reader for checking what our writer
// produces: it reads the text the way a reader would, either through \uN
// (honouring \ucN) or through the ANSI fallback bytes only, and collects pictures.

#include <QByteArray>
#include <QString>
#include <deque>
#include <vector>

struct TRtfPicture {
    QByteArray Kind; // "jpegblip" / "pngblip"
    int PicW = -1, PicH = -1, GoalW = -1, GoalH = -1;
    QByteArray Data; // decoded hex
};

struct TRtfContent {
    bool WellFormed = false; // braces balanced, one outer group
    QString Text;            // \par becomes '\n', \line U+2028, \tab '\t'
    QByteArray Fallback;     // the ANSI bytes a reader without Unicode support sees
    std::deque<TRtfPicture> Pictures;
    std::vector<QByteArray> Words; // every control word met, without backslash
};

TRtfContent ReadRtf(const QByteArray& rtf);
