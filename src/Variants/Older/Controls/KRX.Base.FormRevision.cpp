// The members of this revision's base form beyond those every revision shares
// (KRX.Base.Form.cpp).
#include "Controls/KRX.Base.Form.h"

namespace krx {

TBaseForm::TBaseForm(TComponent *AOwner) : TForm(AOwner) {}

// The subscription ends before anything of the form goes.
TBaseForm::~TBaseForm() { FStyleIntf = nullptr; }

} // namespace krx
