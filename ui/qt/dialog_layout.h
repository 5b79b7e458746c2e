// Laying out a dialog from its resource.
//
// Resources carry no geometry, so the layout is ours and follows the resource order:
//  - a group box frames the controls after it, up to the next group box or the dialog's last
//    run of push buttons;
//  - a run of more than six check boxes or radio buttons is laid out as a grid four wide;
//  - a static text followed by an edit shares a row with it (a label and its field), and so do
//    an icon and the static text after it, a progress bar and the edit after it, and an edit
//    and a short static after it (a unit such as "%");
//  - the dialog's last run of push buttons is one row at the bottom right; other runs of push
//    buttons are rows of up to three.
// Every control with an id gets that id (decimal) as its object name, so tests and tools find it.
#pragma once

#include <QWidget>
#include <vector>

#include "ui/resource.h"

// Builds one widget per control of `resource` (in resource order, group boxes included) into
// `dialog`, lays them out, and returns them.
std::vector<QWidget*> buildDialogControls(const DialogResource& resource, QWidget* dialog);
