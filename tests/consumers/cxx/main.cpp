// A C++ program on the installed package: Fibonacci numbers and a modular
// inverse with karvo::Integer, and nothing of the library on standard output
// but what the program prints itself.
#include <iostream>
#include <karvo/integer.hpp>

int main() {
    karvo::Integer a = 0, b = 1;
    for (int i = 0; i < 300; ++i) {
        a += b;
        std::swap(a, b);
    }
    std::cout << a << '\n';
    std::cout << karvo::modinv(3, karvo::Integer("1000000007")) << '\n';
    try {
        std::cout << karvo::Integer(1) / 0 << '\n';
    } catch (const std::domain_error &) {
        std::cout << "division by zero refused\n";
    }
    return 0;
}
