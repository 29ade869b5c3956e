// The points-of-interest window's sequencer: Start, Pause and Stop over the
// main window's point table, slewing the connected telescope and running
// each point's imaging plan on the imaging console. The window refuses to
// close while a sequence runs unpaused.
#pragma once

class TPOIForm;

// Embeds the sequencer's panel in the window. Call once the window and the
// device windows exist; does nothing without a telescope control. The
// sequencer goes with the window, or earlier with the telescope control.
void AttachSequencer(TPOIForm& window);
