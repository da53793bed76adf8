#!/usr/bin/env python3
"""Writes the seed corpus of the fuzzers (corpus/<harness>/) in the byte layout their decoders
read: the documented edge cases, sizes at the crossovers and at the word limit, refusals, and
regressions. Run it again after a decoder changes; libFuzzer mutates from these seeds."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# First byte: messages on or off, operands in read-only memory or not.
ON, OFF = b"\x05", b"\x04"


def words(n):
    """A word count in the layout of decode_words."""
    if n == 0:
        return b"\x00"
    if n == 1:
        return b"\x01"
    if n <= 4:
        return bytes([5, n - 2])
    if n <= 70:
        return bytes([8, n - 5])
    if n <= 400:
        return bytes([11, (n - 71) >> 8, (n - 71) & 0xFF])
    raise ValueError(n)


def cross(index, offset=0):
    """A count at the index-th crossover of the running path, offset by -4 to 4 words."""
    return bytes([13, index, offset + 4])


def limit(less=0):
    return bytes([15, 0, less])  # 100000 - less words


def half(less=0):
    return bytes([15, 24, less])  # 50002 - less words


def magnitude(value, n):
    """Exactly `value` in n words (n <= 16), from the input's own bytes."""
    raw = b"".join(struct.pack(">I", (value >> (32 * i)) & 0xFFFFFFFF) for i in range(n))
    return bytes([6]) + b"\x00" * 4 + raw


def pattern(kind, seed=1):
    """A generated magnitude: 0 uniform, 3 all ones, 4 runs, 5 a power of two, 7 small top."""
    return bytes([kind]) + struct.pack("<I", seed)


def nwords(v):
    return max(1, (v.bit_length() + 31) // 32) if v else 0


def number(v, pad=0, junk=False):
    """Count, magnitude and flags of the value v (sign included)."""
    m = abs(v)
    n = nwords(m)
    flags = (1 if v < 0 else 0) | (0x20 if junk else 0)
    if pad == 1:
        flags |= 4
    elif pad > 1:
        flags |= 6 | ((pad - 1) << 3)
    return words(n) + (magnitude(m, n) if n else b"") + bytes([flags])


def neg_zero(pad=0):
    return words(0) + bytes([1 | (4 if pad == 1 else 0)])


def fresh(slot, body):
    """An operand reference that loads `body` into the slot first."""
    return bytes([0x80 | slot]) + body


def write(harness, name, data):
    d = os.path.join(HERE, "corpus", harness)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def arith():
    add, sub, mul = b"\x02", b"\x0c", b"\x16"
    div, mod, sdiv, aux, rsm, cmp = b"\x05", b"\x06", b"\x07", b"\x08", b"\x09", b"\x01"
    q, r = b"\x0a", b"\x12"  # outputs: the first slots that are not operands

    def op(o, dst, a, b):
        return o + bytes([dst]) + a + b

    write("arith", "zero_marked_negative", ON + op(add, 2, fresh(0, number(-3)), fresh(1, number(3))))
    write("arith", "sum_of_zeros_keeps_a_word", ON + op(add, 2, fresh(0, number(0)), fresh(1, number(0))))
    write("arith", "untrimmed_minus_zero", ON + op(sub, 2, fresh(0, number(5, pad=2)), fresh(1, neg_zero())))
    write("arith", "untrimmed_zero_times_negative",
          ON + op(mul, 2, fresh(0, number(0, pad=2)), fresh(1, number(-5))))
    write("arith", "destination_is_operand",
          ON + op(add, 0, fresh(0, number(1234)), fresh(1, number(-99))) + op(mul, 1, b"\x01", b"\x00"))
    write("arith", "square_same_record", OFF + op(mul, 1, fresh(0, number(-(2**64 - 1))), b"\x00"))
    write("arith", "carry_into_new_word", ON + op(add, 2, fresh(0, number(2**320 - 1)), fresh(1, number(1))))
    for i, (n, d) in enumerate([(-100, 7), (100, -7), (-100, -7), (-5, 5), (-3, 10), (0, -7)]):
        write("arith", "division_signs_%d" % i, ON + div + fresh(0, number(n)) + fresh(1, number(d)) + q + r)
    write("arith", "division_by_zero", ON + div + fresh(0, number(5)) + fresh(1, number(0, pad=1)) + q + r)
    write("arith", "remainder_by_zero_quiet", OFF + mod + fresh(0, number(-1)) + fresh(1, neg_zero()) + r)
    write("arith", "two_word_divisor_top_word_one",
          ON + div + fresh(0, number(2**96 + 2**64)) + fresh(1, number(2**32 + 1)) + q + r)
    write("arith", "short_partial_remainders",
          ON + div + fresh(0, number((2**64 + 3) * 5 * 2**64 + 12345)) + fresh(1, number(2**64 + 3)) + q + r)
    write("arith", "single_word_negative_dividend",
          OFF + aux + fresh(0, number(-5)) + fresh(1, number(3)) + q + r)
    write("arith", "single_word_zero_word", ON + aux + fresh(0, number(3)) + fresh(1, number(2**32)) + q + r)
    write("arith", "rshift_multi_null_source", ON + rsm + b"\x01\x00" + rsm + b"\x00\x02" + rsm + b"\x03")
    write("arith", "compare_negatives", ON + cmp + b"\x00" + fresh(0, number(-5)) + fresh(1, number(-3)) +
          cmp + b"\x00" + fresh(2, neg_zero()) + fresh(3, number(0)) + cmp + b"\x01" + b"\x00")
    # Sizes at the crossovers: both factors, then a division by a divisor there.
    for i in range(0, 18, 3):
        body = cross(i) + pattern(0, i + 1) + b"\x00"
        other = cross(i + 1, -1) + pattern(4, i + 7) + b"\x00"
        write("arith", "crossover_%d" % i, OFF + op(mul, 2, fresh(0, body), fresh(1, other)) +
              sdiv + b"\x00" + cross(i) + pattern(3) + b"\x00" + b"\x01" + cross(i + 2) + pattern(0, 3) +
              bytes([2]) + q + r)
    # At the word limit: a sum that no longer fits, and halves whose product just does or not.
    write("arith", "limit_sum", ON + op(add, 2, fresh(0, limit() + pattern(3) + b"\x00"),
                                        fresh(1, number(1))))
    write("arith", "limit_product", ON + op(mul, 2, fresh(0, half(2) + pattern(3) + b"\x00"),
                                            fresh(1, half(1) + pattern(0, 5) + b"\x00")))


def text():
    def set_str(radix_byte, txt, zero=True, slot=0):
        return b"\x01" + bytes([slot, 1 if zero else 0, radix_byte, 1, 0, len(txt)]) + txt

    def cstr_base(ref, radix_byte, near, len_bytes, alphabet=0):
        return b"\x03" + ref + bytes([radix_byte, near]) + len_bytes + bytes([alphabet])

    write("text", "parse_documented", ON + set_str(14, b"ff") + set_str(14, b"FF", slot=1) +
          set_str(34, b"zz", slot=2) + set_str(8, b"-5", slot=3))
    write("text", "parse_radix_0_1", ON + set_str(224, b"123") + set_str(225, b"123", slot=1))
    write("text", "parse_refused", ON + set_str(226, b"1") + set_str(228, b"1") +
          b"\x01" + bytes([0, 1, 8, 0, 0, 3]) + b"123" + set_str(8, b""))
    write("text", "parse_adds_to_destination",
          ON + b"\x00\x00" + number(100) + set_str(8, b"5", zero=False) +
          b"\x00\x01" + number(-7) + set_str(8, b"7", zero=False, slot=1))
    write("text", "parse_junk_bytes", OFF + set_str(8, b" 42 ") + set_str(8, b"1.5\xff", slot=1))
    # Long texts: at the parser's crossover (in chunks of a limb), and at the word limit.
    write("text", "parse_crossover", ON + b"\x01" + bytes([0, 1, 8, 1, 1, 3, 5, 4, 5]) + b"\x01\x02\x03\x04")
    write("text", "parse_at_the_limit_binary",
          ON + b"\x01" + bytes([0, 1, 0, 1, 1, 255, 2, 4]) + b"\x05\x06\x07\x08")
    write("text", "parse_over_the_limit_radix_36",
          ON + b"\x01" + bytes([0, 1, 34, 1, 1, 255, 0, 4]) + b"\x05\x06\x07\x08")
    # Display: in full, shortened, too small buffers, bad radices, another alphabet.
    n = fresh(0, number(2**100))
    write("text", "display_shortened", ON + cstr_base(n, 8, 1, bytes([0, 12])) +
          cstr_base(b"\x00", 14, 1, bytes([0, 12])) + cstr_base(b"\x00", 8, 1, bytes([2, 3])))
    m = fresh(1, number(123456789))
    write("text", "display_small_buffers", OFF + b"".join(
        cstr_base(m if k == 0 else b"\x01", 8, 1, bytes([0, size])) for k, size in enumerate([8, 7, 6, 5, 2, 1, 0])))
    write("text", "display_bad_radix", ON + cstr_base(fresh(0, number(255)), 240, 1, bytes([0, 8])) +
          cstr_base(b"\x00", 243, 1, bytes([0, 8])) + cstr_base(b"\x00", 245, 1, bytes([1, 0])))
    write("text", "display_zero_and_negative",
          ON + cstr_base(fresh(0, neg_zero(pad=1)), 8, 1, bytes([0, 2])) +
          cstr_base(fresh(1, number(-255)), 14, 1, bytes([6, 30]), alphabet=1))
    write("text", "display_near_power", ON + b"\x03" + fresh(0, number(1)) + bytes([8, 0, 0, 60, 2, 2, 3, 0]))
    write("text", "display_large_radix_3", OFF + b"\x03" + fresh(0, cross(8) + pattern(0) + b"\x00") +
          bytes([1, 1, 4, 3]) + b"\x00")
    write("text", "hex_words", ON + b"\x05" + fresh(0, number(2**32)) + b"\x00\x08" +
          b"\x05" + fresh(1, number(0)) + b"\x01\x00")


def number_theory():
    def gcd(a, b, dst=2, cancel=0):
        return b"\x02" + a + b + bytes([dst, cancel])

    def modinv(a, b, outs=0x95, cancel=0):
        return b"\x03" + a + b + bytes([outs, cancel])

    def modpow(base, mod, exp, cancel=0):
        return b"\x05" + base + mod + bytes([0, 1]) + exp + bytes([2, cancel])

    write("number_theory", "gcd_documented", ON + gcd(fresh(0, number(12)), fresh(1, number(-18))) +
          gcd(fresh(0, number(-6)), fresh(1, number(0, pad=2))) + gcd(fresh(0, number(0)), fresh(1, number(0))))
    write("number_theory", "gcd_destination_is_operand",
          ON + gcd(fresh(0, number(40)), fresh(1, number(-64)), dst=1))
    write("number_theory", "modinv_documented", ON + modinv(fresh(0, number(240)), fresh(1, number(46))) +
          modinv(fresh(0, number(3120)), fresh(1, number(17))) + modinv(fresh(0, number(-7)), fresh(1, number(3))))
    # Both operands zero: g, x and y are all zero (a regression).
    write("number_theory", "modinv_both_zero", ON + modinv(fresh(0, number(0)), fresh(1, number(0))) +
          modinv(fresh(0, neg_zero()), fresh(1, number(0, pad=1)), outs=0x3F))
    write("number_theory", "modinv_one_zero", OFF + modinv(fresh(0, number(5)), fresh(1, number(0))) +
          modinv(fresh(0, number(0)), fresh(1, number(-5))))
    write("number_theory", "modinv_outputs_are_inputs",
          ON + modinv(fresh(0, number(3120)), fresh(1, number(17)), outs=0x3F))
    e = lambda v: number(v)
    write("number_theory", "modpow_documented", ON + modpow(fresh(0, number(4)), fresh(1, number(497)), e(13)) +
          modpow(fresh(0, number(-2)), fresh(1, number(5)), e(3)) + modpow(fresh(0, number(2)), fresh(1, number(5)), e(-3)))
    write("number_theory", "modpow_refusals", ON + modpow(fresh(0, number(2)), fresh(1, number(0)), e(3)) +
          modpow(fresh(0, number(2)), fresh(1, number(4)), e(-3)) + modpow(fresh(0, number(9)), fresh(1, number(1)), e(0)))
    big = cross(10) + pattern(0, 9) + b"\x00"
    write("number_theory", "cancel_flag_set", ON + gcd(fresh(0, big), fresh(1, cross(10, 2) + pattern(4) + b"\x00"), cancel=1) +
          modinv(b"\x00", b"\x01", cancel=1) + modpow(b"\x00", b"\x01", e(2**64 - 1), cancel=1) +
          gcd(b"\x00", b"\x01", cancel=2))
    # A common factor, so that the gcd and coefficients are long, at the half-gcd crossover.
    write("number_theory", "common_factor_hgcd",
          OFF + b"\x01" + bytes([0, 1]) + cross(11) + pattern(0, 3) + words(40) + pattern(0, 4) + words(41) +
          pattern(0, 5) + b"\x02" + modinv(b"\x00", b"\x01") + gcd(b"\x00", b"\x01"))


def pow_root():
    def power(base, exp, dst=2, c=3, extra=b""):
        return b"\x01" + base + exp + bytes([c]) + extra + (b"" if c & 0x80 else bytes([dst]))

    def root(degree, radicand, w=2, dst=2):
        return b"\x02" + degree + radicand + bytes([1, w]) + (bytes([dst]) if w % 4 >= 2 else b"")

    def factorial(n, poor=0, dst=2, c=3, extra=b""):
        return b"\x04" + bytes([poor]) + n + bytes([c]) + extra + (b"" if c & 0x80 else bytes([dst]))

    write("pow_root", "pow_documented", ON + power(fresh(0, number(2)), fresh(1, number(10))) +
          power(fresh(0, number(-2)), fresh(1, number(3))) + power(fresh(0, number(2)), fresh(1, number(-4))) +
          power(fresh(0, number(0)), fresh(1, number(0))) + power(fresh(0, number(-1)), fresh(1, number(-3))))
    write("pow_root", "pow_refusals", ON + power(fresh(0, number(0)), fresh(1, number(-1))) +
          power(fresh(0, number(2)), fresh(1, number(3200000))) + power(fresh(0, number(3)), fresh(1, number(2**40))))
    write("pow_root", "pow_at_the_limit", OFF + power(fresh(0, number(2)), fresh(1, number(3199999))) +
          power(fresh(0, number(-2**32 + 1)), b"\x01", c=1, extra=b"\x01\x00"))
    write("pow_root", "pow_into_exponent", ON + power(fresh(0, number(3)), fresh(1, number(5)), c=0x83))
    write("pow_root", "root_documented", ON + root(fresh(0, number(2)), fresh(1, number(10))) +
          root(fresh(0, number(3)), fresh(1, number(-27))) + root(fresh(0, number(5)), fresh(1, number(10**50))) +
          root(fresh(0, number(2**70)), fresh(1, number(5))))
    write("pow_root", "root_refusals", ON + root(fresh(0, number(0)), fresh(1, number(5))) +
          root(fresh(0, number(2)), fresh(1, number(-4))) + root(fresh(0, neg_zero()), fresh(1, number(8))))
    write("pow_root", "root_destination_is_operand", OFF + root(fresh(0, number(3)), fresh(1, number(10**30)), w=0) +
          root(fresh(0, number(2)), fresh(1, number(1000001)), w=1))
    write("pow_root", "root_near_perfect_power", ON + b"\x02" + fresh(0, number(1)) + fresh(1, number(1)) +
          bytes([2, 2]) + words(30) + pattern(0, 7) + bytes([0, 2, 2]))
    write("pow_root", "factorial_documented", ON + factorial(fresh(0, number(0))) +
          factorial(fresh(0, number(30)), poor=1) + factorial(fresh(0, number(-1))) +
          factorial(fresh(0, number(5)), c=0x83))
    write("pow_root", "factorial_at_the_limit", OFF + factorial(b"\x00", c=2, extra=b"\x04") +
          factorial(b"\x00", poor=1, c=2, extra=b"\x08"))


def records():
    def grow(slot, idx):
        return b"\x01" + bytes([slot]) + idx

    write("records", "grow_to_the_limit", ON + grow(0, bytes([2, 1])) + grow(0, bytes([2, 2])) +
          grow(1, bytes([4, 2])) + grow(1, bytes([3]) + struct.pack("<Q", 2**40)))
    write("records", "set_word_at_the_limit", ON + b"\x02" + bytes([0, 2, 1]) + b"\x01\x02\x03\x04" +
          b"\x02" + bytes([0, 2, 2]) + b"\xff\xff\xff\xff")
    write("records", "words_trim_zero", ON + b"\x00\x00" + number(5, pad=2) + b"\x03" + bytes([0, 1]) +
          b"\x00\x01\x01\x02\x01\x03\x01\x03" + b"\x03" + bytes([0, 2]) + b"\x00\x00\x00\x00\x00\x00\x00\x00")
    write("records", "set_values", OFF + b"\x04\x00\x00" + struct.pack("<Q", 2**32) + b"\x04\x01\x02" +
          b"\x04\x02\x03\x20")
    write("records", "set_ui8_and_copy", ON + b"\x05\x00\x03\x02" + b"\x01\x02\x03\x04" +
          b"\x06" + fresh(1, number(-(2**64 - 1), pad=2)) + b"\x00" + b"\x06\x01\x01")
    write("records", "print_and_reads", ON + b"\x07" + fresh(0, number(-5)) + b"\x08" +
          fresh(1, number(0x80000001 | (3 << 32))) + b"\x01\x01\x01\x02\x01\x00\x02\x02\x02\x03\x02\x04")
    write("records", "setbytes_limits", ON + b"\x0a\x00\x00\x05" + b"\x00\x00\x00\x00" + b"\x01\x02\x03\x04\x05" +
          b"\x0a\x02\x02\x01" + b"\x00\x00\x00\x00\x07" + b"\x0a\x01\x03\x08" + b"\x01\x02\x03\x04")
    write("records", "rshift_counts", ON + b"\x00\x00" + number(0x380000001) + b"\x0b" + b"\x00" + b"\x01\x21" +
          b"\x0b\x00\x00" + struct.pack("<Q", 33))
    write("records", "random_words", ON + b"\x0c\x00\x00\x03" + b"\x01\x02\x03\x04\x01" +
          b"\x0c\x01\x01\x00" + b"\x0d" + fresh(2, number(100, pad=2)) + b"\x00" + b"\x09\x08\x07\x06\x00" +
          b"\x0d" + fresh(2, number(0, pad=3)) + b"\x00" + b"\x01\x01\x01\x01\x00")
    write("records", "constants", OFF + b"\x0e\x0f")


if __name__ == "__main__":
    arith()
    text()
    number_theory()
    pow_root()
    records()
