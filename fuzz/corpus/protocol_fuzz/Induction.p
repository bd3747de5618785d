# Fluorescence induction (Kautsky) curve of a dark-adapted sample.
# The actinic light switches on after a short dark baseline; the rise
# (O-J-I-P) is fast and the decline slow, so the curve is sampled
# logarithmically in time after light-on, from 150 us on, so that the
# JIP-test finds F at 300 us, 2 ms (J) and 30 ms (I). Every sample lies after
# time 0, so the graph can show time on a log axis.
include "device.inc"

var MeasuringLevel = 30
var ActinicLevel   = 80        # actinic light 1, % of full scale

const LightOn  = 10 ms
const Duration = 20 s

# dark baseline (F0)
every 1 ms from 1 ms to LightOn - 1 ms   sample A mark Fo
# light on and log-spaced samples from 150 us to 20 s after it
at LightOn                               on ActinicLight1
log 120 from 150 us to Duration          after LightOn sample A
at LightOn + Duration + 10 ms         off ActinicLight1
