#include "_app.hpp"

#line 1 "app.vn"

#include "_util.hpp"


// Implementation of functions

#line 4
int norm(Point p){
	return dot(p,p);
}
int main(){
	Point p;
	((p).x)=(3);((p).y)=(4);
	printf("%d %d\n",norm(p),clampTo(30,20));
	return 0;
}
