# Light curve (rapid light response): the actinic light is stepped up every
# 30 s; a saturating flash at the end of each step gives the effective
# quantum yield at that level. The steps after the first are set by timed
# macros, each run when the macro line rises, so the instrument must run timed
# macros (HasMacros = 1).
include "device.inc"

var MeasuringLevel = 30
var FlashLevel     = 100
var ActinicLevel   = 5         # first step, % of full scale

# the later steps, % of full scale (listed so that they are stored with the data)
var Step2 = 10
var Step3 = 20
var Step4 = 35
var Step5 = 50
var Step6 = 75
var Step7 = 100

const StepTime = 30 s
const Flash    = 800 ms

every 1 s from 0 to 7 * StepTime + 5 s   sample A

at 0 s              on ActinicLight1
at 1 * StepTime     pulse MacroLine for 1 ms and macro SetActinicLevel, word(Step2 * Percent)
at 2 * StepTime     pulse MacroLine for 1 ms and macro SetActinicLevel, word(Step3 * Percent)
at 3 * StepTime     pulse MacroLine for 1 ms and macro SetActinicLevel, word(Step4 * Percent)
at 4 * StepTime     pulse MacroLine for 1 ms and macro SetActinicLevel, word(Step5 * Percent)
at 5 * StepTime     pulse MacroLine for 1 ms and macro SetActinicLevel, word(Step6 * Percent)
at 6 * StepTime     pulse MacroLine for 1 ms and macro SetActinicLevel, word(Step7 * Percent)

# a saturating flash 2 s before the end of each step
# (Fs from three samples before it, Fm' from three during it)
every StepTime from StepTime - 2 s to 7 * StepTime - 2 s \
                    pulse SaturatingFlash for Flash \
                    and before 600 ms sample A mark Fs \
                    and before 400 ms sample A mark Fs \
                    and before 200 ms sample A mark Fs \
                    and after 300 ms sample A mark Fm' \
                    and after 400 ms sample A mark Fm' \
                    and after 500 ms sample A mark Fm'
at 7 * StepTime     off ActinicLight1

# back to the first level for the next measurement
at 7 * StepTime + 1 s  pulse MacroLine for 1 ms and macro SetActinicLevel, word(ActinicLevel * Percent)
