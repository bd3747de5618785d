# Quenching analysis: photochemical and non-photochemical quenching.
# Dark-adapted F0 and Fm, then five minutes of actinic light with a
# saturating flash every 20 s (Fm', Fs), then dark relaxation with flashes
# at growing intervals.
include "device.inc"

var MeasuringLevel = 30
var FlashLevel     = 100
var ActinicLevel   = 50

const Flash     = 800 ms
const Probe     = 400 ms       # sample taken this long into each flash
const LightOn   = 20 s
const LightOff  = 320.5 s

# measuring light all through: one sample a second
every 1 s from 0 to 480 s      sample A

# dark-adapted: F0 from the samples before, Fm from this flash
at 2 s                         pulse SaturatingFlash for Flash and after Probe sample A

# actinic light for five minutes, a saturating flash every 20 s
at LightOn                     on ActinicLight1
every 20 s from LightOn + 20 s to LightOff - 0.5 s \
                               pulse SaturatingFlash for Flash and after Probe sample A
at LightOff                    off ActinicLight1

# dark relaxation: six flashes from 10 s to 150 s after the light goes off
log 6 from 10 s to 150 s       after LightOff pulse SaturatingFlash for Flash \
                               and after LightOff + Probe sample A
