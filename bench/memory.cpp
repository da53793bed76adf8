// karvo_memory: the peak heap each large operation takes beyond what was in
// use when it started, against the size of its operands and result. The
// library's temporaries are C++ containers, so counting operator new counts
// them; the records' word arrays are counted by their size.
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "kernels/isa.h"
#include "operands.h"

namespace {

std::atomic<size_t> live{0}, peak{0};

void *counted(size_t n) {
    void *p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr)
        throw std::bad_alloc();
    const size_t now = live += malloc_usable_size(p);
    size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return p;
}

void released(void *p) {
    if (p != nullptr) {
        live -= malloc_usable_size(p);
        std::free(p);
    }
}

size_t record_bytes(const Operand &x) { return size_t(x.bn()->oofm) * sizeof(uint32_t); }

struct Row {
    std::string name;
    std::vector<const Operand *> operands; // inputs and outputs, sized after the run
    std::function<void()> setup, run;      // the setup is not measured
    size_t text_bytes = 0;                 // digits read or written
};

void measure(const Row &row) {
    if (row.setup)
        row.setup();
    const size_t before = live.load();
    peak = before;
    row.run();
    const size_t extra = peak.load() - before;
    size_t size = row.text_bytes;
    for (const Operand *x : row.operands)
        size += record_bytes(*x);
    std::printf("%-28s %14zu %14zu %8.2f\n", row.name.c_str(), size, extra,
                double(extra) / double(size));
}

} // namespace

void *operator new(size_t n) { return counted(n); }
void *operator new[](size_t n) { return counted(n); }
void operator delete(void *p) noexcept { released(p); }
void operator delete[](void *p) noexcept { released(p); }
void operator delete(void *p, size_t) noexcept { released(p); }
void operator delete[](void *p, size_t) noexcept { released(p); }

int main() {
    bignum_init();
    namespace k = karvo::kernel;
    std::printf("kernel path: %s (requested %s, best on this processor %s)\n",
                k::isa_name(k::isa()), k::isa_name(k::requested()), k::isa_name(k::best_isa()));
    Operand a, b, c, d, text_value;
    std::vector<char> buffer(950000 + 2);
    std::string text;
    std::printf("%-28s %14s %14s %8s\n", "workload (largest size)", "data (bytes)", "peak (bytes)",
                "ratio");
    const Row rows[] = {
        {"mul/50000",
         {&a, &b, &c},
         [&] {
             Operand::random(a, 50000, 1);
             Operand::random(b, 50000, 2);
         },
         [&] { bignum_mul(c.bn(), a.bn(), b.bn()); }},
        {"sqr/50000", {&a, &c}, nullptr, [&] { bignum_mul(c.bn(), a.bn(), a.bn()); }},
        {"div/49000",
         {&a, &b, &c, &d},
         [&] {
             Operand::random(a, 98000, 4);
             Operand::random(b, 49000, 5);
         },
         [&] { bignum_div(c.bn(), d.bn(), a.bn(), b.bn()); }},
        {"to_text_full/950000/r10",
         {&text_value},
         [&] { Operand::random_digits(text_value, 950000, 7); },
         [&] { bignum_cstr_base(text_value.bn(), int32_t(buffer.size()), buffer.data(), 10); },
         950000},
        {"to_text_display/950000/r10",
         {&text_value},
         nullptr,
         [&] { bignum_cstr_base(text_value.bn(), 100, buffer.data(), 10); }},
        {"from_text/950000/r10",
         {&c},
         [&] {
             text = text_value.text(10);
             __bignum_zero(c.bn());
         },
         [&] { bignum_set_str(c.bn(), 10, text.c_str()); },
         950000},
        {"pow/7^1100000",
         {&a, &b, &c},
         [&] {
             a.set_u64(7);
             b.set_u64(1100000);
         },
         [&] { bignum_pow(c.bn(), a.bn(), b.bn()); }},
        {"factorial/190000",
         {&a, &c},
         [&] { a.set_u64(190000); },
         [&] { bignum_factorial(c.bn(), a.bn()); }},
        {"root/950000/d2",
         {&text_value, &c},
         [&] { b.set_u64(2); },
         [&] { bignum_root(c.bn(), b.bn(), text_value.bn()); }},
        {"root/950000/d3",
         {&text_value, &c},
         [&] { b.set_u64(3); },
         [&] { bignum_root(c.bn(), b.bn(), text_value.bn()); }},
        {"root/950000/d7",
         {&text_value, &c},
         [&] { b.set_u64(7); },
         [&] { bignum_root(c.bn(), b.bn(), text_value.bn()); }},
        {"gcd/20000",
         {&a, &b, &c},
         [&] {
             Operand::random(a, 20000, 10);
             Operand::random(b, 20000, 11);
         },
         [&] { bignum_gcd(c.bn(), a.bn(), b.bn()); }},
        {"modinv/20000",
         {&a, &b, &c, &d, &text_value},
         nullptr,
         [&] { bignum_modinv(c.bn(), d.bn(), text_value.bn(), a.bn(), b.bn()); }},
        {"modpow/8192",
         {&a, &b, &c, &d},
         [&] {
             Operand::random(a, 256, 14);
             Operand::random(b, 256, 15);
             Operand::random(c, 256, 16);
         },
         [&] { bignum_modpow(d.bn(), a.bn(), b.bn(), c.bn()); }},
    };
    for (const Row &row : rows)
        measure(row);
}
