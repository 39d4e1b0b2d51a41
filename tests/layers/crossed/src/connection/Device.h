#pragma once

#include "connection/Rows.h"
#include "edid/EdidRecord.h"
#include "protocol/DeviceRecord.h"
