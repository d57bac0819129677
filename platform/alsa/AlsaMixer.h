#pragma once
// The mixer backend over ALSA's simple mixer: device n is the n-th sound card ("hw:<card>").
//
// How a card's simple elements become lines and controls:
// - Destination 0, playback: the line is the "Master" element (else the first element with a
//   playback volume); its source lines are every other element with a playback volume or
//   playback switch. A line's controls are a volume (the playback volume, scaled to
//   0..65535) and a mute (the playback switch, inverted).
// - Destination 1, recording (present when the card can record): the line is the "Capture"
//   element, with a volume and a mute from its capture volume and switch; its source lines are
//   every other element with a capture volume or capture switch, each with a volume control
//   from its capture volume and no mute of its own. What is recorded is chosen by the
//   destination's list control: a single-select list (MUX) over the items of the card's
//   capture-source enumeration when it has one (an item with no element of its name becomes a
//   source line without controls), else a multiple-select list (MIXER) over the sources'
//   capture switches.
// - Line identifiers: destination d is d x 65536, its source s is d x 65536 + s + 1; control
//   identifiers are the line identifier x 4 + 0 (volume), 1 (mute) or 2 (list).
// - Changes of an element's values are reported as control changes of that element's
//   controls, new or removed elements as line changes. A removed element's line keeps its
//   place in the tree until the device is opened again, but its reads and writes fail.
#include "platform/alsa/MixerBackend.h"

namespace kelvar::platform {

IMixerBackendPtr CreateAlsaMixerBackend();

}  // namespace kelvar::platform
