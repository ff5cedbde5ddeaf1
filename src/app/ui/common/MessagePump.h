#pragma once
// Runs what is waiting for the user-interface thread (input, paints, timers,
// posted calls) without waiting for more. A pump inside a pump does nothing.
void PumpMessages();
