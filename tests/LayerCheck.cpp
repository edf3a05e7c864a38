// A program that takes one folder's library whole (see tests/CMakeLists.txt): it links only
// when nothing in that library calls up the layer order.
int main() {
  return 0;
}
