// Everything of the COM stand-in.
#pragma once

#include "platform/com/activation.h"
#include "platform/com/apartment.h"
#include "platform/com/interfaces.h"
#include "platform/com/marshal.h"
#include "platform/com/typelib.h"
#include "platform/com/types.h"
