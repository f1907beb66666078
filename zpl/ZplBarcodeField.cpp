#include "zpl/ZplLabelMaker.h"

namespace zpl {

void ZplLabelMaker::DrawBarcodeField(const std::string&) {
    Problem("bar code " + m_Field.barcodeCommand + " is not drawn yet");
}

}  // namespace zpl
