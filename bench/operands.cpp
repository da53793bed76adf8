#include "operands.h"

#include <algorithm>
#include <vector>

Operand::Operand() : bn_(bignum_alloc()) { mpz_init(z_); }

Operand::~Operand() {
    bignum_free(bn_);
    mpz_clear(z_);
}

void Operand::set_mpz(const mpz_t v) {
    mpz_set(z_, v);
    std::vector<uint32_t> words((mpz_sizeinbase(v, 2) + 31) / 32 + 1);
    size_t count = 0;
    mpz_export(words.data(), &count, -1, sizeof(uint32_t), 0, 0, v);
    // bignum_set_ui8 takes the words most significant first, into a zero record.
    std::vector<uint32_t> msf(words.begin(), words.begin() + long(count));
    std::reverse(msf.begin(), msf.end());
    __bignum_zero(bn_);
    bignum_set_ui8(bn_, count, msf.data());
    bn_->sign = mpz_sgn(v) < 0 ? 2 : 1;
}

void Operand::random(Operand &out, uint64_t words, uint64_t seed) {
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, seed);
    mpz_t v;
    mpz_init(v);
    mpz_urandomb(v, state, words * 32);
    mpz_setbit(v, words * 32 - 1);
    out.set_mpz(v);
    mpz_clear(v);
    gmp_randclear(state);
}

void Operand::random_digits(Operand &out, uint64_t digits, uint64_t seed) {
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, seed);
    mpz_t v, low;
    mpz_inits(v, low, nullptr);
    mpz_ui_pow_ui(low, 10, digits - 1);
    mpz_mul_ui(v, low, 9);
    mpz_urandomm(v, state, v);
    mpz_add(v, v, low);
    out.set_mpz(v);
    mpz_clears(v, low, nullptr);
    gmp_randclear(state);
}

void Operand::set_u64(uint64_t v) {
    mpz_set_ui(z_, 0);
    mpz_import(z_, 1, -1, sizeof v, 0, 0, &v);
    bignum_set(bn_, v);
}

std::string Operand::text(int radix) const {
    std::string s(mpz_sizeinbase(z_, radix) + 2, '\0');
    mpz_get_str(s.data(), radix, z_);
    s.resize(std::char_traits<char>::length(s.c_str()));
    return s;
}
