#include "drivers/MainEntry.h"
#include "drivers/Quilvar.h"

int main(int argc, char** argv) {
  return kelvo::RunMain(kelvo::kQuilvar, &kelvo::RunQuilvar, argc, argv);
}
