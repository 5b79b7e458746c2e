#include "ui/resource.h"

const ControlResource* DialogResource::findControl(int controlId) const {
  for (const ControlResource& c : controls) {
    if (c.id == controlId) return &c;
  }
  return nullptr;
}
