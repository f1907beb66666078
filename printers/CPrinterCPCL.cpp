#include "printers/CPrinterCPCL.h"

#include "render/CmdHelpers.h"

using CmdHelpers::AppendCRLF;
using CmdHelpers::AppendFormat;

CPrinterCPCL::~CPrinterCPCL() = default;

void CPrinterCPCL::cmdBegin(int quantity) {
    NS_KT_CLASS::CMyBuffer line;
    AppendFormat(line, "! %d 200 200 %u %d", m_RegStruct.iReference[0] * 8, m_Image.GetHeight(), quantity);
    AppendCRLF(line);
    SpoolBuffer(line);
}

void CPrinterCPCL::cmdPageWidth() {
    NS_KT_CLASS::CMyBuffer line;
    AppendFormat(line, "PAGE-WIDTH %u", m_Image.GetWidth());
    AppendCRLF(line);
    SpoolBuffer(line);
}

void CPrinterCPCL::cmdCG() {
    NS_KT_CLASS::CMyBuffer line;
    AppendFormat(line, "CG %u %u 0 0", m_Image.GetEffWidth(), m_Image.GetHeight());
    AppendCRLF(line);
    SpoolBuffer(line);
    const size_t length = static_cast<size_t>(m_Image.GetEffWidth()) * m_Image.GetHeight();
    if (const uint8_t* bits = m_Image.GetBits(0))
        WriteSpool(bits, static_cast<int>(length));
}

void CPrinterCPCL::cmdFORM() {
    if (m_RegStruct.iMediaType != 1 && m_RegStruct.iMediaType != 2)
        return;
    NS_KT_CLASS::CMyBuffer line;
    CmdHelpers::AppendLine(line, "FORM");
    SpoolBuffer(line);
}

void CPrinterCPCL::cmdPrint() {
    NS_KT_CLASS::CMyBuffer line;
    CmdHelpers::AppendLine(line, "PRINT");
    SpoolBuffer(line);
}

void CPrinterCPCL::OnPaintBmp() {
    Negative();
    for (int left = m_Extension.iCopies, quantity; left > 0; left -= quantity) {
        quantity = left < kMaxQuantity ? left : kMaxQuantity;
        cmdBegin(quantity);
        cmdPageWidth();
        cmdCG();
        cmdFORM();
        cmdPrint();
    }
}
