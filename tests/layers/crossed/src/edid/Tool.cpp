#include "edid/Tool.h"
#include "common/Prompt.h"

#include <QLabel>
#include <QString>
