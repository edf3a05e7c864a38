#include "app/gui/GifSave.h"

#include "base/Exceptions.h"
#include "base/Messages.h"

void SaveResultAsGif(const TBitmap&, const std::string&, TImageBox&, QWidget&) {
  // The GIF writer is not part of this build yet; the command ends with a clear message
  // and writes nothing.
  throw Exception(SGifNotAvailable);
}
