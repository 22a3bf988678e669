#pragma once

class QWidget;
class TfrmSizeAlert;
class TfrmOptionAlert;
class TAutoBJ;

// The three notice windows that live for the whole run. Start-up creates them once, hidden, in
// this order, owned by the main window; the cart page and the photo cards show them modally.
void CreateNoticeWindows(QWidget *Owner);

// nullptr before CreateNoticeWindows and after the owner is gone.
TfrmSizeAlert *frmSizeAlert();
TfrmOptionAlert *frmOptionAlert();
TAutoBJ *AutoBJ();
