#pragma once

#include "toolkit/toolkit.h"

// The About window: title, picture, version, web address, credit line.
class TForm5 : public TForm {
 public:
  TForm5();
  TLabel* Label1;
  TImage* Image1;
  TLabel* Label4;
  TLabel* Label3;
  TLabel* Label2;
};

extern TForm5* Form5;
