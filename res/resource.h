// Resource identifiers shared by the resource script and the program.
#pragma once

// The icon group the message boxes show (the application icon's images again).
#define BRELQUIN_MESSAGE_ICON 1005
