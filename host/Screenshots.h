// The pictures of a screenshot run: the console window, the other windows
// open beside it (each tab of a property sheet on its own), and the modal
// dialogs the run answers, each in a PNG named after the run's file.
#pragma once

#include <QString>

class QWidget;

namespace zyr::host {

// "DIR/NAME.png" and a part: "DIR/NAME-part.png"; the part keeps only
// letters, digits and dashes.
QString PictureName(const QString& file, const QString& part);
// The window into file, and every other visible top-level window into a
// picture of its own; false when one cannot be written.
bool SaveWindowPictures(QWidget* window, const QString& file);

} // namespace zyr::host
