#pragma once

#include <string>

#include "image/CxImage.h"
#include "render/CMyBuffer.h"
#include "render/CupsTypes.h"
#include "render/ObjRef.h"
#include "render/PageAssembly.h"
#include "render/RenderSettings.h"

// Common base of every printer renderer. The job driver reaches a renderer
// only through these hooks, in a fixed order: GetPrinterParameters,
// SetModelName, OnStartDoc(0); per page OnStartPage, OnBeginBmp, OnPaintBmp,
// OnEndBmp, OnEndPage; finally OnEndDoc.
//
// The page image arrives prepared for a one-bit head: palette index 0 black,
// index 1 white (a set bit is an unprinted dot), rows of GetEffWidth() bytes
// with every bit beyond the width set.
class CBaseRender : public TObjRefImpl<IObjRef> {
public:
    CBaseRender();
    virtual ~CBaseRender();

    // Whether the language prints m_Extension.iCopies labels of one page's
    // image (a printer class that can says so with its own constant).
    static constexpr bool kCopyCount = false;
    // Whether a page's bytes, sent again as they are, print the page once
    // more. Not where a page carries the job's opening or its place in the
    // job (Brother QL): a host draws such a page again for each copy.
    static constexpr bool kPagesReplay = true;

    virtual void OnStartDoc(unsigned long) {}
    virtual void OnEndDoc() { OnDestroy(); }
    virtual void OnInit() {}
    virtual void OnDestroy() {}
    virtual void OnStartPage() {}
    virtual void OnEndPage() {}
    virtual void OnBeginBmp() {}
    virtual void OnEndBmp() {}
    virtual void OnPaintBmp() {}
    virtual int WriteSpool(const void* data, int length) {
        (void)data;
        return length;
    }
    virtual void AddLog(const char* format, ...) __attribute__((format(printf, 2, 3))) { (void)format; }
    virtual void GetPrinterParameters() { AddLog("CBaseRender::GetPrinterParameters"); }
    // A page-level failure the user must see (a status line under CUPS).
    virtual void ReportError(const char* format, ...) __attribute__((format(printf, 2, 3))) { (void)format; }
    // A page-level change the user should know of (a WARNING status line).
    virtual void ReportWarning(const char* format, ...) __attribute__((format(printf, 2, 3))) { (void)format; }

    void SetModelName(const char* name) { m_strModelName = name ? name : ""; }
    // The job's PPD, where the settings come from one (not owned).
    void SetPpd(ppd_file_t* ppd) { m_pPpd = ppd; }
    // The page the next hooks run on: its header (not owned, held until
    // EndPage) and its resolution, the page image's too.
    void BeginPage(cups_page_header2_t* header, unsigned xdpi, unsigned ydpi);
    void EndPage() { m_pHeader = nullptr; }
    // Where a host reads the page's raster, before BeginPage.
    CxImage& PageImage() { return m_Image; }
    // What OnBeginBmp does in every host once a page is there: the printer's
    // one-time initialisation before the first prepared page, then the
    // page's preparation for the print head.
    void PreparePage();

    // Millimetres to dots at the page's horizontal resolution, rounding up.
    int mm_2_dots(int mm) const;
    // Complements every byte of the pixel area, row fill bytes included.
    void Negative();

    // Prepares the page for the head: gray, fitted to the head, halftoned
    // (or, for drawn pages, thresholded at the middle), scaled, cropped,
    // mirrored, inverted and turned as the settings say.
    void AdjustImage();
    // The size a page of width x height dots is shrunk to, aspect kept, so
    // that it prints no wider than the head once scaled and turned. False
    // when it fits as it is or the head is not known.
    bool HeadFitSize(uint32_t width, uint32_t height, uint32_t& newWidth, uint32_t& newHeight) const;
    // Shrinks the page to HeadFitSize; before halftoning, so that the dots
    // are made at the size they print.
    void FitToHead();
    // Puts the page on its media (when `placement` is given) and, when it is
    // wider than the head, shrinks it in the same pass, so that the media page
    // is never built at a size that does not print. True when it was placed.
    bool PlaceAndFit(const PageAssembly::Placement* placement);
    // Tells the log and the user that a page was shrunk to fit the head.
    void ReportFit(uint32_t width, uint32_t height, uint32_t newWidth, uint32_t newHeight);
    // Cuts a receipt's white lead and trail.
    void TrimRoll();
    void CropWhiteEdge(int top, int bottom, int left, int right);
    void AdjustEffWidthBits();

    // Sends a page assembled in `buffer` with one spool write and empties the
    // buffer. A buffer that lost content at its ceiling is never sent: the
    // page is dropped with an error instead of reaching the printer truncated.
    // True when the buffer was handed to the spool.
    bool SpoolBuffer(NS_KT_CLASS::CMyBuffer& buffer);

    CxImage m_Image;
    int m_iDpi = 0;
    tagREGSTRUCT m_RegStruct;
    tagREGSTRUCTWITHALFTONE m_HalfTone;
    tagWaterMarkConfig m_WaterMark;
    tagEXTENSIONSTRUCT m_Extension;
    ppd_file_t* m_pPpd = nullptr;
    cups_page_header2_t* m_pHeader = nullptr;
    bool m_bInited = false;
    // Set by a host whose pages are drawn dot by dot as they print (ZPL
    // labels): only a shrink to the head makes gray, which is thresholded at
    // the middle; brightness, contrast and halftoning, which would add stray
    // dots to black and white, are skipped.
    bool m_bDrawnPages = false;
    std::string m_strModelName;
};
