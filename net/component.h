// component.h - TIdComponent: the base of the layer's objects; the first one made
// in the process starts the socket layer and the last one destroyed stops it.
#pragma once

class TIdComponent {
 public:
  TIdComponent();
  virtual ~TIdComponent();
  TIdComponent(const TIdComponent&) = delete;
  TIdComponent& operator=(const TIdComponent&) = delete;
};
