// Entry point of the link checks: each check links one subsystem library whole, with only the
// libraries it declares, so any call outside them is an undefined symbol.
int main() {
  return 0;
}
