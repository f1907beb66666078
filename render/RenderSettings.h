#pragma once

#include <cstdint>
#include <cstring>

// Settings records of a renderer. The PPD options marked for a job fill them
// once before the document starts; the preparation pipeline and the printer
// languages only read them.

struct tagREGSTRUCT {
    int64_t lReserved = 1;
    bool bReserved1 = false;
    bool bReserved2 = false;
    int iSpeed = 14;             // -1: the printer's own default
    int iDensity = 8;            // -1: the printer's own default
    int iReference[2] = {0, 0};  // reference point x, y
    int iRotate = 0;             // 1 = 180, 2 = 90, 3 = 270 degrees, other = none
    bool bMirror = false;
    bool bNegative = false;
    int iScale = 100;  // percent
    bool iDottedline = false;
    bool bPauseKey = true;
    bool bWaterMark = true;
    int iMediaType = 0;        // 0 continuous, 1 gap, 2 black line, 3 perforated, 4 roll, 5 recording
    int iMarkLength = 3;       // mm
    int iMarkOffset = 0;       // mm
    int iOffset = 0;           // feed offset, mm
    int iPostPrintAction = 0;  // 1 tear, 2 cutter, 3 peel, 4 partial cutter
    int iReserved1 = 0;
    int iPrinttype = 0;  // 0 direct thermal, 1 thermal transfer
    int iCutMode = 0;    // 1/2 full/partial at job end, 3/4 full/partial per page
    int iReserved2 = 0;
    int iReserved3 = 0;
    int iPreFeed = 0;   // mm before the image, when above 0
    int iPostFeed = 0;  // mm after the image, when above 0
    int iReserved4 = 0;
    int iMoneyBox = 0;  // 1 drawer pulse before the image, 2 after
};

struct tagREGSTRUCTWITHALFTONE {
    int iGrayMethod = 3;   // <= 0 fixed threshold; n > 0 dithering method n - 1
    int iThreValue = 175;  // threshold level, low 8 bits used
    int iLiangdu = 0;      // brightness change
    int iDuibidu = 0;      // contrast change
    int iCropTopEdge = 0;  // most white margin to remove, mm; < 0 all
    int iCropBottomEdge = 0;
    int iCropLeftEdge = 0;
    int iCropRightEdge = 0;
    bool ImageCompress = false;
};

// Settings past the PPD options above, from options and attributes of this
// project's own PPDs. Every default leaves the output as it is without them.
struct tagEXTENSIONSTRUCT {
    bool bEdgeKeeping = false;  // halftone with the edge-keeping method
    int iHeadDots = 0;          // print head width in dots; 0: not known
    int iEndFeed = 0;           // mm fed at the end of the job, before its cut
    bool bTrimRoll = false;     // on roll media, trim all white above and below
    int iMaxRasterRows = 0;     // rows one raster command may carry; 0: the field's limit
    bool bNoSetc = false;       // TSPL: the printer rejects SETC lines
    bool bStatusCheck = false;  // the host asks the printer's state between pages
    // The filter: the printer makes the job's copies, by its language's copy
    // count, instead of CUPS repeating the pages.
    bool bPrinterCopies = false;
    // Labels a language with a copy count of its own prints of each page
    // (TSPL's PRINT, CPCL's label quantity); the others ignore it.
    int iCopies = 1;
    // The resolution ZPL documents were written for, which their labels
    // are scaled from to keep their size; 0: the printer's own.
    int iZplDpi = 203;
    // Brother QL: the bytes of 00 that open a job (the model's invalidate
    // run; below 200, 200), and a model that refuses ESC i a (raster mode).
    int iInvalidate = 0;
    bool bNoModeCommand = false;
};

// Watermark settings: carried with the renderer, read by nothing.
struct tagWaterMarkConfig {
    bool bEnable = false;
    char szText[4096] = {};
    int iFontSize = 40;
    int iColor = 16777215;
    int iPosition = 3;
    int iAngle = 0;
    int iStyle = 0;
    bool bBold = false;
    int iTransparency = 9;
    int iMargin[2] = {10, 10};
    int iScale[2] = {100, 100};
};
