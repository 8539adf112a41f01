#pragma once

#include "link/MessageSink.h"

// The utility's messages: the application's box and the plain system box.
CMessageSink& MessageBoxSink();
