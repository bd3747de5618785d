include "device.inc"
var Level = 30
const T = 10 ms
at T on L
every 1 ms from 1 ms to T sample A
at 2*T off L
