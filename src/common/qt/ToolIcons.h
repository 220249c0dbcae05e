#pragma once
// Pictures of the recording tool bar's buttons, drawn as small vector shapes so they look the
// same on every machine.

#include <QIcon>
#include <QRect>
#include <QString>

class QToolButton;
class QWidget;

namespace vexal {

QIcon deleteDataIcon();  // a sheet crossed out in red
QIcon saveDataIcon();    // a floppy disk
QIcon openDataIcon();    // an open folder
QIcon printDataIcon();   // a printer with a sheet
QIcon storeDataIcon();   // a stack of discs (stored data)

// A flat picture button with a 16 x 16 picture and a hint, at its design place.
QToolButton *makeSpeedButton(QWidget *parent, const QIcon &icon, const QString &hint,
                             const QRect &geometry);

}  // namespace vexal
