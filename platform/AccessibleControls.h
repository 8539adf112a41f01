#pragma once

// Screen readers reach the dialogs through Qt's accessibility interfaces. Qt's own serve most
// template controls; these take over where Qt would describe one wrongly:
// - an automatic radio button keeps exclusiveness to itself rather than to Qt, so Qt would announce
//   it as a check box; it is a radio button, labelled by the group box framing its group;
// - an IP address control is one group of four fields, named like the control it stands for.
// Installed once per process, on the first call; the dialog builder makes it.
void InstallAccessibleControls();
