#pragma once

#include "platform/DialogTemplate.h"

// The attribute pages' and the About box's templates by number; nullptr for any other number.
const DialogTemplate* FindDialogTemplate(int id);
