// The English sense of a Japanese message, which the exception display shows beneath the
// message; empty for an English text.
//
// This is the one place where the window asks an exception (Sense()) or a message of the
// message list (its `sense`) for it. A build whose message list carries no senses yet has
// none to show: the box then shows the message alone.
#pragma once

#include <QString>

template <class TWithSense>
QString SenseOf(const TWithSense& message) {
  if constexpr (requires { message.Sense(); })
    return QString::fromStdString(message.Sense());
  else if constexpr (requires { message.sense; })
    return QString::fromUtf8(message.sense);
  else
    return QString();
}
