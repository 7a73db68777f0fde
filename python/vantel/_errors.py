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
