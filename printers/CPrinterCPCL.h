#pragma once

#include "render/CBaseRender.h"

// CPCL label printers: every page becomes one label (header line, page
// width, one CG command with the whole page, FORM for gap and black-mark
// media, PRINT). Each line goes to the spool on its own, the CG image bytes
// in a write of their own. Lines end with CR LF; numbers are decimal. The
// renderer keeps no state between pages.
class CPrinterCPCL : public CBaseRender {
public:
    CPrinterCPCL() = default;
    ~CPrinterCPCL() override;

    // The label header's quantity: copies of the one label.
    static constexpr bool kCopyCount = true;
    // The most a label header's quantity may say; more copies take more labels.
    static constexpr int kMaxQuantity = 1024;

    void OnPaintBmp() override;

    // "! offset 200 200 height quantity": the resolution fields are always
    // 200; `quantity` copies of the label.
    void cmdBegin(int quantity);
    void cmdPageWidth();
    // CG carries the stored rows whole, fill bytes included.
    void cmdCG();
    void cmdFORM();
    void cmdPrint();
};
