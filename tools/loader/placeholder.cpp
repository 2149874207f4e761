// Replaced by the loader's real sources.
namespace orvane {}
