#pragma once

#include <stdexcept>
#include <type_traits>
#include <utility>
#include <variant>

namespace kirune {

/// The error side of an `expected`: `return unexpected(message);` refuses.
template <typename E>
class unexpected {
 public:
  explicit unexpected(E error) : error_(std::move(error)) {}

  const E& error() const& noexcept { return error_; }
  E& error() & noexcept { return error_; }
  E&& error() && noexcept { return std::move(error_); }

 private:
  E error_;
};

template <typename E>
unexpected(E) -> unexpected<E>;

/// Thrown by `value()` on an `expected` that holds an error: reading a refusal as a value is a fault.
class bad_expected_access : public std::logic_error {
 public:
  bad_expected_access() : std::logic_error("expected holds an error, not a value") {}
};

namespace expected_detail {
template <typename U, typename T, typename Self>
concept ValueFor = std::is_constructible_v<T, U&&> && !std::is_same_v<std::remove_cvref_t<U>, Self>;
}  // namespace expected_detail

/// A value or the reason there is none: the result of everything that reads input and may refuse it.
/// Refusing is an ordinary outcome, not an exception; exceptions are kept for faults.
///
/// The subset of std::expected (C++23) that Kirune uses, with the same names and meanings, so that the
/// standard one can replace it by a using-declaration once the compiler has it.
template <typename T, typename E>
class expected {
  static_assert(!std::is_same_v<T, E>, "value and error must be told apart by type");

 public:
  using value_type = T;
  using error_type = E;

  expected() : v_(std::in_place_index<0>) {}
  // enable_if rather than a constraint, so that tools see the copy and move constructors are not hidden.
  template <typename U = T, std::enable_if_t<expected_detail::ValueFor<U, T, expected>, int> = 0>
  expected(U&& value) : v_(std::in_place_index<0>, std::forward<U>(value)) {}
  template <typename G>
  expected(const unexpected<G>& error) : v_(std::in_place_index<1>, error.error()) {}
  template <typename G>
  expected(unexpected<G>&& error) : v_(std::in_place_index<1>, std::move(error).error()) {}

  bool has_value() const noexcept { return v_.index() == 0; }
  explicit operator bool() const noexcept { return has_value(); }

  /// The value; throws bad_expected_access if this holds an error.
  const T& value() const& {
    check();
    return *std::get_if<0>(&v_);
  }
  T& value() & {
    check();
    return *std::get_if<0>(&v_);
  }
  T&& value() && {
    check();
    return std::move(*std::get_if<0>(&v_));
  }
  template <typename U>
  T value_or(U&& other) const& {
    return has_value() ? *std::get_if<0>(&v_) : static_cast<T>(std::forward<U>(other));
  }

  /// Unchecked access, as with std::expected: only after has_value().
  const T& operator*() const& noexcept { return *std::get_if<0>(&v_); }
  T& operator*() & noexcept { return *std::get_if<0>(&v_); }
  T&& operator*() && noexcept { return std::move(*std::get_if<0>(&v_)); }
  const T* operator->() const noexcept { return std::get_if<0>(&v_); }
  T* operator->() noexcept { return std::get_if<0>(&v_); }

  /// The error: only when !has_value().
  const E& error() const& noexcept { return *std::get_if<1>(&v_); }
  E& error() & noexcept { return *std::get_if<1>(&v_); }
  E&& error() && noexcept { return std::move(*std::get_if<1>(&v_)); }

 private:
  void check() const {
    if (!has_value()) throw bad_expected_access();
  }

  std::variant<T, E> v_;
};

/// expected<void, E>: success carries nothing.
template <typename E>
class expected<void, E> {
 public:
  using value_type = void;
  using error_type = E;

  expected() = default;
  template <typename G>
  expected(const unexpected<G>& error) : error_(error.error()), failed_(true) {}
  template <typename G>
  expected(unexpected<G>&& error) : error_(std::move(error).error()), failed_(true) {}

  bool has_value() const noexcept { return !failed_; }
  explicit operator bool() const noexcept { return has_value(); }
  void value() const {
    if (failed_) throw bad_expected_access();
  }

  const E& error() const& noexcept { return error_; }
  E& error() & noexcept { return error_; }
  E&& error() && noexcept { return std::move(error_); }

 private:
  E error_{};
  bool failed_ = false;
};

}  // namespace kirune
