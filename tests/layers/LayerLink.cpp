// The program of a layer's link check: it needs nothing but the layer's library, linked whole.
int main() {
  return 0;
}
