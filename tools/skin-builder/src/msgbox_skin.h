// The message box skin: layout (neutral description 217) and its bitmaps 216, 248, 249.
#pragma once

#include <QImage>
#include <string>

namespace builder
{

// The description text, CR LF line ends.
std::string MsgBoxDescription();
// One bitmap in the current thread's language (labels from the string table).
QImage MsgBoxBitmap(int number);
// The neutral up-down halves 266 to 271.
QImage UpDownBitmap(int number);

} // namespace builder
