#include "drivers/Brenodax.h"
#include "drivers/MainEntry.h"

int main(int argc, char** argv) {
  return kelvo::RunMain(kelvo::kBrenodax, &kelvo::RunBrenodax, argc, argv);
}
