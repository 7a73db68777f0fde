"""The component's run-time errors, as Python exceptions."""


class VantelError(RuntimeError):
    """A run-time error of the component: ``number`` and ``description`` are
    those that automation clients see as Err.Number and Err.Description
    (6, "Overflow" for a method number outside -32768..32767)."""

    def __init__(self, number: int, description: str) -> None:
        super().__init__(number, description)
        self.number = number
        self.description = description

    def __str__(self) -> str:
        return f"run-time error {self.number}: {self.description}"


class MethodOverflowError(VantelError, ValueError):
    """A method number outside -32768..32767: run-time error 6, "Overflow",
    as automation clients get it, and a ValueError naming the argument."""

    def __init__(self, argument: str, shown: str) -> None:
        super().__init__(6, "Overflow")
        self.argument = argument
        self.shown = shown

    def __reduce__(self):
        return (type(self), (self.argument, self.shown))

    def __str__(self) -> str:
        return f"{self.argument} must be from -32768 to 32767, not {self.shown} (run-time error 6: Overflow)"
