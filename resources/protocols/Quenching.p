# Quenching analysis: photochemical and non-photochemical quenching.
# Dark-adapted F0 and Fm, then two and a half minutes of actinic light with
# a saturating flash every 10 s (Fm', Fs), then dark relaxation with flashes
# at growing intervals. About 200 s in all, so that instruments with a 16-bit
# timer (a filler event every 65 ms) hold the program too.
include "device.inc"

var MeasuringLevel = 30
var FlashLevel     = 100
var ActinicLevel   = 50

const Flash     = 800 ms
const Probe     = 400 ms       # sample taken this long into each flash
const LightOn   = 10 s
const LightOff  = 160.5 s

# measuring light all through: one sample a second
every 1 s from 0 to 200 s      sample A

# dark-adapted: F0 from the samples before, Fm from this flash
at 2 s                         pulse SaturatingFlash for Flash and after Probe sample A

# actinic light for 150 s, a saturating flash every 10 s
at LightOn                     on ActinicLight1
every 10 s from LightOn + 10 s to LightOff - 0.5 s \
                               pulse SaturatingFlash for Flash and after Probe sample A
at LightOff                    off ActinicLight1

# dark relaxation: six flashes from 5 s to 40 s after the light goes off
log 6 from 5 s to 40 s         after LightOff pulse SaturatingFlash for Flash \
                               and after LightOff + Probe sample A
