/* A C program that finds Karvo through pkg-config: 2^100 and 30! in full. */
#include <bignum/bignum.h>
#include <stdio.h>

int main(void) {
    bignum_init();
    bignum *two = bignum_alloc(), *hundred = bignum_alloc(), *thirty = bignum_alloc();
    bignum *power = bignum_alloc(), *factorial = bignum_alloc();
    char text[64];
    if (!two || !hundred || !thirty || !power || !factorial)
        return 1;
    bignum_set(two, 2);
    bignum_set(hundred, 100);
    bignum_set(thirty, 30);
    if (!bignum_pow(power, two, hundred) || !bignum_factorial(factorial, thirty))
        return 1;
    bignum_cstr_base(power, sizeof text, text, 10);
    printf("%s\n", text);
    bignum_cstr_base(factorial, sizeof text, text, 10);
    printf("%s\n", text);
    bignum_free(two);
    bignum_free(hundred);
    bignum_free(thirty);
    bignum_free(power);
    bignum_free(factorial);
    return 0;
}
