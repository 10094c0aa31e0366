/* The start-up yardstick: a C program that prints three lines and exits,
   linked only against the C library. */
#include <stdio.h>

int main(void) {
  printf("[Distance between RGB and the best matching HSB = 100.209387]\n");
  printf("[The HSB chosen is actually equivalent to RGB (196.9, 70.0, 57.5)]\n\n");
  printf("  Hue = 7, Saturation = 70, Brightness = 255\n");
  return 0;
}
