#include "cli/CliContext.h"
#include "edid/Tool.h"

#include <QLabel>
