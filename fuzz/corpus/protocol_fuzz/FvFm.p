# Dark-adapted Fv/Fm: maximum quantum yield of photosystem II.
# Dark-adapt the sample for 15 to 20 minutes before starting.
# The samples before the flash are marked Fo, those during it Fm; the
# program computes Fv/Fm = (Fm - Fo) / Fm from them.
include "device.inc"

var MeasuringLevel = 30        # weak measuring light, % of full scale
var FlashLevel     = 100       # saturating flash intensity, %

const FlashStart = 200 ms
const FlashWidth = 800 ms

# F0 before the flash: one sample every millisecond
every 1 ms from 0 to FlashStart - 1 ms      sample A mark Fo
# Fm: the saturating flash, sampled every 2 ms while it is on
at FlashStart                               pulse SaturatingFlash for FlashWidth
every 2 ms from FlashStart + 10 ms to FlashStart + FlashWidth - 10 ms  sample A mark Fm
# a few points of the decay after the flash
every 10 ms from FlashStart + FlashWidth + 10 ms to 1.5 s  sample A
