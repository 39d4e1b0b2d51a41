#include "edid/EdidImage.h"
#include "system/FirmwareTool.h"
// #include "app/MainWindow.h" is a comment, not an include
