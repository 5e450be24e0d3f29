#include "drivers/MainEntry.h"
#include "drivers/Tamorlek.h"

int main(int argc, char** argv) {
  return kelvo::RunMain(kelvo::kTamorlek, &kelvo::RunTamorlek, argc, argv);
}
