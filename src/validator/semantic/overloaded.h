// Builds one std::visit visitor from several lambdas.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_OVERLOADED_H_
#define QUORVANE_VALIDATOR_SEMANTIC_OVERLOADED_H_

namespace quorvane {

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_OVERLOADED_H_
