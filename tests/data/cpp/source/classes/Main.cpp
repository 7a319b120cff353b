#include "_Main.hpp"

#line 1 "Main.vn"


// Implementation of functions



int Tile::total() const {
	return (area())+((inner).area());
}
#line 4
Tile::Tile():inner(),kind(){
}
#line 4
Tile::Tile(Square const & VORN_arginner):inner(VORN_arginner),kind(){
}
#line 4
Tile::Tile(Square const & VORN_arginner,Kind const & VORN_argkind):inner(VORN_arginner),kind(VORN_argkind){
}




int describe(Shape & s){
	return (((s).area())*(100))+((s).perimeter());
}
int main(){
	Tile t;
	(t).setSide(3);
	((t).inner).setSide(2);
	((t).kind)=(circle);
	Square ::Corner c;
	((c).x)=(5);
	printf("%d %d %d\n",(t).total(),describe(t),(t).getSides());
	printf("%d %d %d %d\n",(c).twice(),Square ::Corner ::count,Shape ::made,(t).kind);
	return 0;
}
