#pragma once

#include <QByteArray>

namespace artwork {

// The stamp sound as a WAV file: 16-bit stereo PCM at 32 000 Hz, two seconds. A faint swish
// as the stamp comes in, the thump of wood and rubber on paper on the banner's contact frame,
// a little paper rustle while it is pressed, and the soft peel of the lift.
QByteArray stampSoundWav();

}  // namespace artwork
