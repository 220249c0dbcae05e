#pragma once
// Pictures of the recording tool bar's buttons, drawn as small vector shapes so they look the
// same on every machine.

#include <QIcon>

namespace vexal {

QIcon deleteDataIcon();  // a sheet crossed out in red
QIcon saveDataIcon();    // a floppy disk
QIcon openDataIcon();    // an open folder
QIcon printDataIcon();   // a printer with a sheet
QIcon storeDataIcon();   // a stack of discs (stored data)

}  // namespace vexal
