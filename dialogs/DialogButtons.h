#pragma once

class QDialog;
class QDialogButtonBox;

namespace tkw {

// The "OK" (default) and "Cancel" buttons of a settings dialog, named "OK" and "Cancel" for tests,
// accepting and rejecting the dialog.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

}  // namespace tkw
