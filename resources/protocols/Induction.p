# Fluorescence induction (Kautsky) curve of a dark-adapted sample.
# The actinic light switches on after a short dark baseline; the rise
# (O-J-I-P) is fast and the decline slow, so the curve is sampled
# logarithmically in time after light-on.
include "device.inc"

var MeasuringLevel = 30
var ActinicLevel   = 80        # actinic light 1, % of full scale

const LightOn  = 10 ms
const Duration = 20 s

# dark baseline (F0)
every 1 ms from 0 to LightOn - 1 ms   sample A mark Fo
# light on and log-spaced samples from 200 us to 20 s after it
at LightOn                            on ActinicLight1
log 120 from 200 us to Duration       after LightOn sample A
at LightOn + Duration + 10 ms         off ActinicLight1
