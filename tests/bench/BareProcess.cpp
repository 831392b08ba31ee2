// The yardstick for process start-up: a program that ends at once.
int wmain() { return 0; }
