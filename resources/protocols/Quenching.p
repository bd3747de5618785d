# Quenching analysis: photochemical and non-photochemical quenching.
# Dark-adapted Fo and Fm, then two and a half minutes of actinic light with
# a saturating flash every 10 s (Fs just before, Fm' during each), far-red
# light after the actinic light for Fo', then dark relaxation with flashes
# at growing intervals. About 200 s in all, so that instruments with a 16-bit
# timer (a filler event every 65 ms) hold the program too.
include "device.inc"

var MeasuringLevel = 30
var FlashLevel     = 100
var ActinicLevel   = 50
var FarRedLevel    = 50

const Flash     = 800 ms
const Probe     = 400 ms       # Fm' is sampled this long into each flash
const LightOn   = 10 s
const LightOff  = 160.5 s

# dark-adapted Fo, then the measuring light all through: one sample a second
every 100 ms from 0 to 1.9 s   sample A mark Fo
every 1 s from 2 s to 200 s    sample A

# dark-adapted Fm from this flash
at 2 s                         pulse SaturatingFlash for Flash \
                               and after Probe - 100 ms sample A mark Fm \
                               and after Probe sample A mark Fm \
                               and after Probe + 100 ms sample A mark Fm

# actinic light for 150 s, a saturating flash every 10 s: Fs from three
# samples before it, Fm' from three during it
at LightOn                     on ActinicLight1
every 10 s from LightOn + 10 s to LightOff - 0.5 s \
                               pulse SaturatingFlash for Flash \
                               and before 600 ms sample A mark Fs \
                               and before 400 ms sample A mark Fs \
                               and before 200 ms sample A mark Fs \
                               and after Probe - 100 ms sample A mark Fm' \
                               and after Probe sample A mark Fm' \
                               and after Probe + 100 ms sample A mark Fm'
at LightOff                    off ActinicLight1

# far red opens the centres at once: Fo' between the seconds' samples
at LightOff                    pulse FarRedLight for 3 s
every 100 ms from LightOff + 0.9 s to LightOff + 1.4 s  sample A mark Fo'

# dark relaxation: six flashes from 5 s to 40 s after the light goes off;
# Fm'' of the last gives the quenching left (qI), the rest relaxed (qE)
log 6 from 5 s to 40 s         after LightOff pulse SaturatingFlash for Flash \
                               and after LightOff + Probe sample A mark Fm''
